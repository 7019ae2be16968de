// hostpath.h: the one entry of the layer that has no Windows counterpart. Programs that
// take names from Linux (the command-line retimer, tests) convert them here to the
// program's code page 932 paths and back. Every file function of the layer converts
// the same way at its edge.
//
// Every host name converts, and converts back to exactly the same bytes:
// - characters that code page 932 has become their code page 932 bytes; "/" stays "/";
// - anything else (a character code page 932 lacks, a literal backslash, a private-use
//   character, a byte that is not valid UTF-8) is kept byte by byte as user-defined
//   double-byte characters with lead byte 0xF0.
// On the way out a single-byte "\" (0x5C) is a folder separator and becomes "/"; a
// double-byte character whose trail byte is 0x5C stays one character.
#pragma once

#include <string>

std::string HostToProgramPath(const std::string& hostPath);
std::string ProgramToHostPath(const std::string& programPath);
