#include "sound/clip.h"
