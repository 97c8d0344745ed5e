// Requests from outside the program to end it, which end it as a close of the main window does
// (settings saved, card and simulator link closed): on POSIX the signals SIGTERM (a kill),
// SIGINT (Ctrl-C) and SIGHUP (the end of the session). One implementation per platform:
// end_request_posix.cpp; the Windows one answers the console's close and the session's end.
#pragma once

namespace kavri {

// Starts watching for such requests: from then on they no longer end the process at once but
// raise the flag that end_requested() reads. A second request of the same kind ends the process
// at once, as it would have without watching, so that a driver that no longer answers can still be
// stopped. Main thread, once, before any other thread starts.
void watch_end_requests();

// True once a request has come. Any thread; cheap enough for every pass of the main loop.
bool end_requested();

}  // namespace kavri
