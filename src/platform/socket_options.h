// Options of sockets that the HTTP library opens for the exam room.
#pragma once

namespace keyin {

// Marks a descriptor close-on-exec, so that no child process inherits it.
void SetCloseOnExec(int descriptor);

// Lets a listening socket queue `backlog` connections not yet accepted: a whole classroom
// opens its pages at the same moment, far more than the library's default queue of 5.
void SetListenBacklog(int descriptor, int backlog);

}  // namespace keyin
