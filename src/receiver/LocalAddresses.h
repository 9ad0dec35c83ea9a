// Whether an address belongs to this computer, so that discovery can also
// answer a client that shares its port on this computer.
#pragma once

#include <netinet/in.h>

// True for the loopback range and for any IPv4 address of a local interface.
bool isAddressOfThisHost(in_addr address);
