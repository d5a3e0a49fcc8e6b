// Everything of the framework's Windows part in one include.
#pragma once

#include "fw/fwres.h"
#include "fw/win/app.h"
#include "fw/win/com.h"
#include "fw/win/dialog.h"
#include "fw/win/frame.h"
#include "fw/win/gdi.h"
#include "fw/win/menu.h"
#include "fw/win/module.h"
#include "fw/win/msgmap.h"
#include "fw/win/registry.h"
#include "fw/win/resources.h"
#include "fw/win/thread.h"
#include "fw/win/wnd.h"
