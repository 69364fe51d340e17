#pragma once

// Everything the window needs of the gym roster: the slot table, the list interface the passes
// talk to, and the load and save passes.
#include "field_conversion.h"
#include "list_selection.h"
#include "load_pass.h"
#include "roster_slot.h"
#include "save_pass.h"
