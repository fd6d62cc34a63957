// The lab key this process proves to servers that ask for one: the key
// file given to vekLoadKey, else the file VEK_KEY_FILE names, else
// ~/.config/vek/key when there is one. Without any, clients connect as
// before (a server with a key refuses them). Safe to call from several
// threads, each with a session of its own (the Python module's).
#pragma once

#include <memory>
#include <string>

#include "lab_key.h"

namespace veksock {

// Reads `path` as the process's key from now on; null forgets the key
// given, back to the look-up. False when the file is unusable (why:
// keyProblem), and the key given before stays.
bool loadKey(const char* path);
// The key for the next connection, or null for none; false when a key
// file is named or there but unusable (why: keyProblem).
bool connectionKey(std::shared_ptr<const vekwire::LabKey>& key);
// What was wrong with a key file last time, for VEK_ERR_KEY_FILE.
std::string keyProblem();

}  // namespace veksock
