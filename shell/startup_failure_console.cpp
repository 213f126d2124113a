// The start-up failure where the show has a console: the line on stderr says it all.
#include "shell/message_boxes.h"

void showStartupFailure(const char*) {}
