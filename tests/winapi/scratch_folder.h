// A fresh temporary folder for one test, with its name both as the host (UTF-8) path and
// as the program's code page 932 path; removed with everything in it afterwards.
#pragma once

#include <hostpath.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/se-files-XXXXXX";
        const char* made = mkdtemp(pattern);
        if (made == nullptr) ADD_FAILURE() << "no temporary folder";
        host_ = made ? made : "/tmp/se-files-missing";
        program_ = HostToProgramPath(host_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(host_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Host() const { return host_; }
    const std::string& Program() const { return program_; }
    // host + "/" + name (name in UTF-8)
    std::string HostPath(const std::string& name) const { return host_ + "/" + name; }
    // The program's path of a name given in the program's code page 932.
    std::string ProgramPath(const std::string& name) const { return program_ + "/" + name; }

    void WriteHostFile(const std::string& name, const std::string& bytes) const {
        std::ofstream out(HostPath(name), std::ios::binary);
        out << bytes;
    }
    std::string ReadHostFile(const std::string& name) const {
        std::ifstream in(HostPath(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::string host_;
    std::string program_;
};
