// The identifiers of both IDL files (libraries, classes, interfaces), defined once for the module.
#include <windows.h>

#include <ocidl.h>

#include <initguid.h>

#include <ARM_7seg4.h>
#include <QuorvaneV4.h>
