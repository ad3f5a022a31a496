// The frame processes of the sessions: their private folders, starting one
// on an inherited socket, and what its end means.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace acqserve {

// Makes the folder of this run of the server (0700, under $TMPDIR or /tmp)
// that holds every session's folder. False with `error` on failure.
bool Child_MakeRunFolder(std::string& dir, std::string& error);

// Makes `parent`/session-N (0700) and returns its real path in `dir`.
bool Child_MakeSessionFolder(const std::string& parent, int number, std::string& dir,
                             std::string& error);

// Removes `dir` and everything in it; never follows a symbolic link out.
void Child_RemoveTree(const std::string& dir);

// Starts `/proc/self/exe ARGS...` with one end of a new socket pair as its
// fd 3, stdin /dev/null, stdout and stderr shared, every other descriptor
// closed, signals at their defaults, and ACQ_SESSION_DIR=`sessionDir`.
// `fd` is the server's end (non-blocking, close-on-exec). False with
// `error` when nothing was started.
bool Child_Spawn(const std::vector<std::string>& args, const std::string& sessionDir, pid_t& pid,
                 int& fd, std::string& error);

// "exit status 2", "signal 9": how a wait status ended.
std::string Child_EndText(int status);

// The real path of `path` when it is a regular file inside `folder` (a real
// path); "" otherwise.
std::string Child_FileInside(const std::string& path, const std::string& folder);

}  // namespace acqserve
