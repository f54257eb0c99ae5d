// What the COM shell offers the programs that host the module (qhost.exe) and test it: owning
// holders of COM objects, handles and strings, a base for implementing COM objects, frames on
// GDI DIBs, the VARIANT bridge to the core's values, and how the property page's windows are
// found. Everything else in 7seg4/com is the module's own.
#pragma once

#include "com_base.h"
#include "com_holders.h"
#include "frame_dib.h"
#include "page_windows.h"
#include "variant_bridge.h"
