#pragma once

// Whether the X server a display name (as in DISPLAY) leads to answers a
// connection within `milliseconds`. Xlib waits for the server's first answer
// without end, so a server that accepts connections and never replies would
// hold the host's user-interface thread. Answers false only when the server
// was reached (or its connection neither completed nor failed in time) and
// then stayed silent; anything it cannot tell, such as a name of a kind it
// does not know, is left to Xlib and answers true.
bool displayAnswers(const char* name, int milliseconds);
