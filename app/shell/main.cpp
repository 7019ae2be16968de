// se-retimer: the program's entry. It runs the application object as WinMain would.
#include "app/shell/program.h"

int main() {
    Main::CTester program;
    return program.Run();
}
