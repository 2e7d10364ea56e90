#pragma once
// minizip over device paths: archives named by a narrow path in the device's
// ANSI code page, as the system hands them to the zip reader.
//
//   zlib_filefunc_def functions;
//   fillDeviceFileFunctions(&functions);
//   unzFile zip = unzOpen2(ansiPath, &functions);   // or unzOpenDevice(ansiPath)

#include <minizip/ioapi.h>
#include <minizip/unzip.h>

void fillDeviceFileFunctions(zlib_filefunc_def* functions);
unzFile unzOpenDevice(const char* ansiPath);
