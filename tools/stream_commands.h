// encrypt-bytes and decrypt-bytes on data of any size: the input streams
// through the envelope or a sealed message to the output in one work buffer.
#pragma once

#include <string>

#include "cli_arguments.h"
#include "key_loading.h"

namespace zarnocrypt::cli {

bool IsStreamCommand(Command command) noexcept;

// Runs encrypt-bytes or decrypt-bytes with key set; empty on success, else
// the message for standard error. decrypt-bytes reads either format. An
// envelope's size, when known up front, is checked against the format's
// limit before anything is written; a pipe's as its bytes arrive. Sealed
// messages have no such limit.
std::string RunStreamCommand(Command command, const Arguments& arguments, LoadedKey& key);

}  // namespace zarnocrypt::cli
