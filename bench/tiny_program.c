/* The program that the program-start benchmarks start: it only ends. */
int main(void) { return 0; }
