// The editor starts here. The start-up sequence itself is the frame engineer's.
#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return 0;
}
