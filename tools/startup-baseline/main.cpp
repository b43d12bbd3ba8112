// The yardstick of scripts/benchmark-startup: a program that makes a QCoreApplication and ends.
#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    return 0;
}
