// Resource identifiers, shared by the resource script and the C++ code.
// Plain #defines only: the resource compiler reads this file too.
#pragma once

// The application icon; the shell shows the icon with the lowest ID, so it is 1.
#define IDI_APP 1

// The folder tree's seven pictures as one 24-bit strip each, N x N pictures side
// by side in the order Removable, Computer, ClosedFolder, Floppy, Harddisk,
// OpenFolder, CDRom; transparent pixels are silver RGB(192, 192, 192).
// One strip per scaling step, so the tree can pick pixels instead of stretching.
#define IDB_TREE_PICTURES_16 200
#define IDB_TREE_PICTURES_24 201
#define IDB_TREE_PICTURES_32 202
