// The yardstick of the launch benchmark: a console program that does
// nothing, started the same way as kxlaunch.
int main() { return 0; }
