#pragma once

// The informational options, answered before any role is chosen: they touch
// no request folder, lock, socket or display, so a packager's tools (help2man)
// and a curious user can run them anywhere.
namespace CommandLine {

// Exit status when argv asks for --help or --version (after printing the
// answer on standard output), or -1 when it asks for neither.
int answerInformationalOption(int argc, char *argv[]);

} // namespace CommandLine
