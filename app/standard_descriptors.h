#pragma once

// A program may be started with its standard input, output or error closed (some launchers, cron
// wrappers and service managers do so). The next file it opens would then take descriptor 0, 1
// or 2, and text meant for the closed stream would land in that file: in an output. Called first
// thing in main, before any other thread, this opens each closed one of the three on the null
// device in the direction that makes its use fail, as gnulib's stdopen does: reading from a
// closed input and writing to a closed output still fail, and no file of the program takes their
// place. Nothing to do on Windows, whose files are handles apart from the C library's descriptors.

namespace orba::app {

// False when a closed descriptor could not be opened; the program should then end at once.
bool OpenClosedStandardDescriptors();

}  // namespace orba::app
