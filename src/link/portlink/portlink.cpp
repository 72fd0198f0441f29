// Placeholder until the termios implementation lands.
#include "portlink.h"
