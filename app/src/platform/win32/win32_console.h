#pragma once

// Output of a windowed program, free of Qt types so that it builds and is
// tested on its own with mingw-w64 under wine.
namespace win32 {

// A windowed program started from a console has no standard output there:
// when output is not already redirected to a file or a pipe, it is sent to the
// console of the process that started it. False when there is none.
bool attachToParentConsole();

} // namespace win32
