// SIGINT, SIGTERM and SIGHUP ask the run to end the orderly way, as closing
// the window does. The engine takes over only those whose disposition is the
// default: one its caller ignores (nohup ignores SIGHUP) stays ignored.
// SIGPIPE at its default is ignored, so that a connection lost ends the run
// the orderly way too.
#pragma once

// Installs the handler for each of the three signals still at its default,
// and ignores SIGPIPE when it is at its default.
void TakeOverEndSignals();

// Whether an end was asked for and not yet taken.
bool EndAsked();

// Whether an end was asked for; the request is taken, so the next call says
// false until another signal comes.
bool TakeEndRequest();

// While on, a process forked by this one (SDL shows an X11 message box from a
// child process of its own) is killed when an end is asked for, and dies with
// this process however it ends, even by SIGKILL.
void TieForkedChildren(bool on);
