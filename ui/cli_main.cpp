// Placeholder until the real implementation lands.
int main() { return 0; }
