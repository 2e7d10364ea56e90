#include "platform/gx/gx.h"

#include "platform/shell/shell.h"

int GXOpenInput() {
  shell::setGameInput(true);
  return 1;
}

int GXCloseInput() {
  shell::setGameInput(false);
  return 1;
}
