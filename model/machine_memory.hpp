// The memory this process may use: the machine's physical memory, or less
// when an address-space or data limit is set. Readers and encoders weigh
// what an input or an encoding would take against it, so that a run that
// cannot fit stops with a clear message instead of being killed.
#pragma once

// In bytes; infinite when the system does not tell.
double machine_memory_bytes();
