/*
 * ini-put FILE SECTION KEY VALUE - one ini_puts call, for the fault
 * injection test.  "-" stands for a null section, key or value (a null key
 * deletes the section, a null value the key).  Exit status 0 when ini_puts
 * returned 1, 1 when it returned 0.
 */
#include <stdio.h>
#include <string.h>

#include "keyvale.h"

static const char *arg(const char *s)
{
    return strcmp(s, "-") == 0 ? NULL : s;
}

int main(int argc, char *argv[])
{
    if (argc != 5) {
        fputs("usage: ini-put FILE SECTION KEY VALUE (\"-\": null)\n", stderr);
        return 2;
    }
    return ini_puts(arg(argv[2]), arg(argv[3]), arg(argv[4]), argv[1]) == 1 ? 0 : 1;
}
