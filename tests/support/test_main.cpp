// The main of every GoogleTest binary. GSL's default error handler aborts the
// process; the programs switch it off so that trace/ sees status codes, and
// the tests must run the code the way the programs do.
#include <gsl/gsl_errno.h>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    gsl_set_error_handler_off();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
