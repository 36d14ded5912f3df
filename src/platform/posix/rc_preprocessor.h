// The preprocessor of resource scripts: #include, #define (with arguments),
// #undef, #if/#ifdef/#ifndef/#elif/#else/#endif, comments and line joining.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/posix/rc_lexer.h"

namespace posix {
namespace rc {

// The tokens of mainFile, with its includes found in `files`, ending with an
// End token. Each file read is added to fileNames; faults go to the reporter.
std::vector<Token> preprocess(const std::map<std::string, std::string>& files, std::vector<std::string>& fileNames,
                              Reporter& reporter, const std::string& mainFile);

}  // namespace rc
}  // namespace posix
