// encrypt-bytes and decrypt-bytes on data of any size: the input streams
// through the envelope to the output in one work buffer.
#pragma once

#include <string>

#include "cli_arguments.h"
#include "rijndael_key.h"

namespace zarnocrypt::cli {

bool IsStreamCommand(Command command) noexcept;

// Runs encrypt-bytes or decrypt-bytes with key set; empty on success, else
// the message for standard error. A size known up front is checked against
// the format's limit before anything is read or written; a pipe's as its
// bytes arrive.
std::string RunStreamCommand(Command command, const Arguments& arguments, RijndaelKey& key);

}  // namespace zarnocrypt::cli
