// The client's one application object; the toolkit's entry point runs it.
#include "shell/CalendarApp.h"

CalendarApp theApp;
