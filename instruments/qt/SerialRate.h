// Line rates beyond the fixed table of the terminal interface (14400,
// 56000, 128000, ...). Linux takes any rate through its second terminal
// settings structure; its header cannot share a translation unit with
// <termios.h>, so these calls live on their own.
#pragma once

// Sets input and output rate of an open terminal to `rate` bits per second,
// keeping every other setting; false when the driver refuses.
bool SetArbitraryBaudRate(int fd, int rate);

// The output rate the driver reports; 0 when it cannot tell.
int ReadArbitraryBaudRate(int fd);
