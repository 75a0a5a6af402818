/* The cheapest process there is, as the yardstick for a whole orvel run: a static C program
 * that exits at once (no dynamic loader, no libraries). */

int main(void) {
    return 0;
}
