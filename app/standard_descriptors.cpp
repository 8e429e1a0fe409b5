#include "app/standard_descriptors.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace orba::app {

bool OpenClosedStandardDescriptors() {
#ifndef _WIN32
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        if (::fcntl(descriptor, F_GETFD) >= 0 || errno != EBADF) {
            continue;
        }
        // Opened the wrong way round, so that its use fails as on the closed one.
        const int opened = ::open("/dev/null", descriptor == 0 ? O_WRONLY : O_RDONLY);
        if (opened != descriptor) {
            return false;  // the lowest free descriptor was not this one: nothing can be trusted
        }
    }
#endif
    return true;
}

}  // namespace orba::app
