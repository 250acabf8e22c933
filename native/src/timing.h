/* Clock and sleeping helpers shared by the library's waits. */
#ifndef SNAPLARK_TIMING_H
#define SNAPLARK_TIMING_H

/* Milliseconds of a clock that never jumps. */
long long monotonic_ms(void);
/* Sleeps the whole time even when signals arrive. */
void sleep_ms(long ms);

#endif
