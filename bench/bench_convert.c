/*
 * bench_convert - SYLT payloads of 1,000 to 100,000 items to LRC text and
 * back, timed; prints items per second for each step and size.  The cost
 * per item should stay flat as the size grows.
 *
 *   bench_convert [seconds per measurement, default 0.5]
 */
#define _POSIX_C_SOURCE 200809L

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "sylt.h"
#include "textbuffer.h"

static double now(void)
{
    struct timespec ts;

    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

/* A payload of n items: short words, each eighth ending its line. */
static void make_payload(Id3Tag *id3, int n)
{
    static const unsigned char fixed[] = "\0eng\2\1bench";
    size_t cap = sizeof fixed + (size_t)n * 20, len = sizeof fixed;
    unsigned char *p = malloc(cap);
    int i;

    if (p == NULL) {
        fprintf(stderr, "out of memory\n");
        exit(1);
    }
    memcpy(p, fixed, sizeof fixed);
    for (i = 0; i < n; i++) {
        uint32_t t = (uint32_t)i * 250;
        len += (size_t)sprintf((char *)p + len, "%sw%d%s", i % 8 == 0 ? "" : " ", i % 1000,
                               i % 8 == 7 ? "\n" : "");
        p[len++] = 0;
        p[len++] = (unsigned char)(t >> 24);
        p[len++] = (unsigned char)(t >> 16);
        p[len++] = (unsigned char)(t >> 8);
        p[len++] = (unsigned char)t;
    }
    id3->sylt = p;
    id3->syltsize = (int32_t)len;
}

/* Runs one step repeatedly for about `budget` seconds; items per second. */
static double measure(Id3Tag *id3, int n, int step, double budget)
{
    double start = now(), elapsed;
    long runs = 0;
    int ok = 1;

    do {
        switch (step) {
        case 0: ok = lrc_fromsylt(id3, 1); break; /* inline form */
        case 1: ok = lrc_fromsylt(id3, 0); break; /* row form */
        default: ok = lrc_tosylt(id3); break;
        }
        if (!ok) {
            fprintf(stderr, "conversion failed\n");
            exit(1);
        }
        runs++;
        elapsed = now() - start;
    } while (elapsed < budget);
    return (double)n * runs / elapsed;
}

int main(int argc, char **argv)
{
    static const int sizes[] = {1000, 10000, 100000};
    double budget = argc > 1 ? atof(argv[1]) : 0.5;
    unsigned i;

    printf("%9s %16s %16s %16s %16s\n", "items", "sylt->inline/s", "inline->sylt/s",
           "sylt->rows/s", "rows->sylt/s");
    for (i = 0; i < sizeof sizes / sizeof sizes[0]; i++) {
        Id3Tag id3;
        unsigned char *orig;
        int32_t origsize;
        double r[4];

        id3_init(NULL, &id3);
        id3.version = 4;
        make_payload(&id3, sizes[i]);
        origsize = id3.syltsize;
        orig = malloc((size_t)origsize);
        memcpy(orig, id3.sylt, (size_t)origsize);

        r[0] = measure(&id3, sizes[i], 0, budget);
        r[1] = measure(&id3, sizes[i], 2, budget);
        /* The inline form gives the payload back, bar the descriptor. */
        if (id3.syltsize != origsize + 11 || memcmp(id3.sylt + 23, orig + 12, (size_t)origsize - 12) != 0) {
            fprintf(stderr, "round trip differs at %d items\n", sizes[i]);
            return 1;
        }
        r[2] = measure(&id3, sizes[i], 1, budget);
        r[3] = measure(&id3, sizes[i], 2, budget);
        printf("%9d %16.0f %16.0f %16.0f %16.0f\n", sizes[i], r[0], r[1], r[2], r[3]);
        free(orig);
        id3_close(&id3);
    }
    return 0;
}
