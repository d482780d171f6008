#include "core/mainform/key_polling.h"

// No key state is read yet: the polling loop sees no key pressed.
int fnCheckHotkeys(App &)
{
    return -1;
}

int fnCheckActionKeys(App &)
{
    return -1;
}
