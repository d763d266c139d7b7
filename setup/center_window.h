// Places a dialog in the middle of its owner, or of the screen's work area.
#pragma once

void CenterWindow(void* window);
