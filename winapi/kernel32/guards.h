// Between the layer's threads and its structured exceptions: a thread that ExitThread
// ends skips the frames of its guards, so it takes them off its list first.
#pragma once

namespace winapi::kernel32 {

// Forgets every guard of the calling thread (seh.cpp).
void LeaveAllGuards();

}  // namespace winapi::kernel32
