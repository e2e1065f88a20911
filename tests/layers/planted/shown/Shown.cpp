// A planted library for the include rule's test: its own header and one of a library it
// links are fine; one of a library it does not link, and one from samples/, are not.
#include "Shown.h"

#include "../unlinked/Unlinked.h"
#include "Linked.h"
#include "Writer.h"

#include <vector>
