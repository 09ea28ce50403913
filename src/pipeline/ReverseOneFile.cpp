#include "ReverseOneFile.h"
