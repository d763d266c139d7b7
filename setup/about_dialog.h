// The About box, shown modally over the main dialog.
#pragma once

void ShowAboutDialog(void* instance, void* owner);
