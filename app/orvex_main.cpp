// orvex: the wizard.
int main() { return 0; }
