#include "platform/socket_options.h"

#include <fcntl.h>
#include <sys/socket.h>

namespace keyin {

void SetCloseOnExec(int descriptor) {
  int flags = ::fcntl(descriptor, F_GETFD);
  if (flags >= 0) ::fcntl(descriptor, F_SETFD, flags | FD_CLOEXEC);
}

void SetListenBacklog(int descriptor, int backlog) {
  // listen() on a socket that already listens only changes its queue length.
  ::listen(descriptor, backlog);
}

}  // namespace keyin
