// A library with a soname of the program's own but none of its functions: it
// stands in for one that a distribution changed under the program.
extern "C" int pictomat_stand_in()
{
    return 0;
}
