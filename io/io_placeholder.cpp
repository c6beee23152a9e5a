// Keeps the io library non-empty until its first format lands.
