#include "qoption.h"

int QavlenOption::tc = QavlenOption::GoBeyondTerminalTime;
