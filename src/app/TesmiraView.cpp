#include "app/TesmiraView.h"
