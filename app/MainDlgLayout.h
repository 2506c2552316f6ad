#pragma once
// The resize rules of the main dialog: which control follows which edge as the dialog grows.
#include "ui/GridLayout.h"

// Adds the main dialog's rules, in the order in which they act.
void AddMainDialogRules(GridLayout& layout);
