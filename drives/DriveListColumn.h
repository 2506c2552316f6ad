#pragma once
// The width of the drive list's single column: the list's client width less two edges and room
// for a vertical scroll bar, whether or not one is shown.

// Never negative, so a list squeezed narrower than the frame still gets a valid width.
int DriveColumnWidth(int clientRight, int edgeWidth, int scrollBarWidth);
