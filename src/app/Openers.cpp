#include "app/Openers.h"

namespace app {

WindowOpeners programOpeners() {
    WindowOpeners openers;
    return openers;
}

} // namespace app
