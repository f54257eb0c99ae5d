// The identifiers of both IDL files, defined once for the test program.
#include <windows.h>

#include <ocidl.h>

#include <initguid.h>

#include <ARM_7seg4.h>
#include <QuorvaneV4.h>
