// tavin-reg: placeholder until the registry store lands.
int main() { return 0; }
