// Exchange files checked through the orvel command.
#include <gtest/gtest.h>
