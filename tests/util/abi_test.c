/* Calls the exported routines of libzorvel_utils.so as a foreign program would: by their
 * plain names, every argument by address, each text followed at once by its length as a
 * 64-bit value, a text result's field first, logicals as 32-bit -1/0. Texts are passed
 * with lengths shorter than their strings where that shows which length a routine took. */

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

typedef int64_t Len;

void TRIMF(char* result, Len result_len, const char* text, Len text_len);
void AINTEGER(char* result, Len result_len, const int32_t* i);
void AINTEGERPREC0(char* result, Len result_len, const int32_t* i, const int32_t* n);
void AREALD(char* result, Len result_len, const float* x, const int32_t* n);
void AREALD8(char* result, Len result_len, const double* x, const int32_t* n);
void FILE___EXT(char* result, Len result_len, const char* name, Len name_len);
void ADDFOLDER(char* result, Len result_len, const char* folder, Len folder_len, const char* name, Len name_len);
void ALPHANUMERICONLY(char* result, Len result_len, const char* text, Len text_len, const char* c, Len c_len);
void REPLACE(char* result, Len result_len, const char* text, Len text_len, const char* search, Len search_len,
             const char* replacement, Len replacement_len);
void REPLACEALL(char* result, Len result_len, const char* text, Len text_len, const char* search, Len search_len,
                const char* replacement, Len replacement_len);
void CLEANPATH(char* result, Len result_len, char* name, Len name_len);
int32_t LENSL(char* text, Len text_len);
int32_t COMMENTLINE(char* line, Len line_len);
int32_t BLANK(char* text, Len text_len);
int32_t NUMBEROFSUBSTRINGS(char* text, Len text_len, const char* separator, Len separator_len);
void SUBSTRING(char* result, Len result_len, const char* text, Len text_len, const char* separator,
               Len separator_len, const int32_t* n);
int32_t FLAGEXISTS(const char* line, Len line_len, const char* flag, Len flag_len);
int32_t FLAGEXISTSRET(const char* line, Len line_len, const char* flag, Len flag_len, char* rest, Len rest_len);
int32_t ASAME(const char* a, Len a_len, const char* b, Len b_len);
int32_t READGIS(const char* line, Len line_len, const char* name, Len name_len);
int32_t CHECKINT(const char* text, Len text_len, int32_t* i);
int32_t CHECKINT8(const char* text, Len text_len, int64_t* i);
int32_t CSVCOLUMN(const char* line, Len line_len, const char* name, Len name_len, const int32_t* fallback);
int32_t CSVVALUE(const char* line, Len line_len, const int32_t* n, float* value);
void EXTRACTSTRING(char* result, Len result_len, const char* line, Len line_len, const char* lower, Len lower_len,
                   const char* keyword, Len keyword_len, const int32_t* n);
void EXTRACTSTRINGREM(char* result, Len result_len, const char* line, Len line_len, const char* lower,
                      Len lower_len, const char* keyword, Len keyword_len, const int32_t* n);
int32_t EXTRACTINTEGER(const char* line, Len line_len, const char* lower, Len lower_len, const char* keyword,
                       Len keyword_len, const int32_t* n, const int32_t* fallback);
float EXTRACTREAL(const char* line, Len line_len, const char* lower, Len lower_len, const char* keyword,
                  Len keyword_len, const int32_t* n, const float* fallback);
int32_t CHECKLINE(const char* line, Len line_len, const char* command, Len command_len, const char* separator,
                  Len separator_len, const int32_t* column, char* rest, Len rest_len, char* head, Len head_len);
float DISTANCE(const float* x1, const float* y1, const float* x2, const float* y2);
int32_t INTERPOLATE_TRIANGLE(const float* xp, const float* yp, const float* cx, const float* cy, const float* cz,
                             float* v);
void SET_SUB_GRID_AREA(const float* x, const float* y, const int32_t* n, const float* cell, const int32_t* nrows,
                       const int32_t* ncols, int32_t* first_row, int32_t* first_col, int32_t* last_row,
                       int32_t* last_col, float* xmin, float* ymin, float* xmax, float* ymax);
float VECTOR_MAGNITUDE(const float* u, const float* v);
int32_t INTERSECTION_POINT_8(const double* x1, const double* y1, const double* x2, const double* y2,
                             const double* x3, const double* y3, const double* x4, const double* y4, double* x,
                             double* y);
int32_t INSIDE_POLYGON(const float* xp, const float* yp, const float* x, const float* y, const int32_t* n,
                       const float* xmin, const int32_t* part_ends, const int32_t* part_count);
void HYD_PARAM(const float* x1, const float* z1, const float* x2, const float* z2, const float* level,
               const float* factor, float* area, float* width, float* wetted);
int32_t READLINE(const int32_t* unit, char* line, Len line_len);
void DMESSAGE(const int32_t* n);
void DMESSAGECLEAR(void);
void EXITS(void);

/* The message block, as its layout is fixed. */
struct message_block {
    double x, y;
    int32_t one_line, log_unit, mif_unit_a, mid_unit_a, mif_unit_b, mid_unit_b;
    char line[4][10000];
    char prefix[4];
    double box_width, box_height;
    int32_t errors, warnings, checks, errors_xy, warnings_xy, checks_xy;
    int32_t number, type;
    char extra[3][10000];
    int32_t csv_unit;
};
_Static_assert(offsetof(struct message_block, prefix) == 40040, "prefix");
_Static_assert(offsetof(struct message_block, box_width) == 40048, "box width");
_Static_assert(offsetof(struct message_block, errors) == 40064, "counters");
_Static_assert(offsetof(struct message_block, extra) == 40096, "extra fields");
_Static_assert(offsetof(struct message_block, csv_unit) == 70096, "csv unit");
extern struct message_block DMESSAGES;

static int failures = 0;

#define CHECK(cond)                                                   \
    do {                                                              \
        if (!(cond)) {                                                \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                               \
        }                                                             \
    } while (0)

/* A field of n characters equals the text blank-padded to n. */
static int field_is(const char* field, Len n, const char* text) {
    const size_t k = strlen(text);
    if (k > (size_t)n || memcmp(field, text, k) != 0) return 0;
    for (Len i = (Len)k; i < n; ++i)
        if (field[i] != ' ') return 0;
    return 1;
}

/* A blank-padded field holding the text. */
static void set_field(char* field, size_t n, const char* text) {
    memset(field, ' ', n);
    memcpy(field, text, strlen(text));
}

/* Console output captured between capture_start and capture_end. */
static FILE* capture_file;
static int saved_stdout;
static char captured[4096];

static void capture_start(void) {
    fflush(stdout);
    capture_file = tmpfile();
    saved_stdout = dup(1);
    dup2(fileno(capture_file), 1);
}

static const char* capture_end(void) {
    fflush(stdout);
    dup2(saved_stdout, 1);
    close(saved_stdout);
    rewind(capture_file);
    const size_t got = fread(captured, 1, sizeof captured - 1, capture_file);
    captured[got] = '\0';
    fclose(capture_file);
    return captured;
}

/* Runs the call in a child process with no console input; its exit status and output. */
static int run_to_end(void (*call)(void), const char** output) {
    fflush(stdout);
    FILE* out = tmpfile();
    const pid_t pid = fork();
    if (pid == 0) {
        FILE* none = fopen("/dev/null", "r");
        dup2(fileno(none), 0);
        dup2(fileno(out), 1);
        call();
        _exit(99); /* the call came back */
    }
    int status = 0;
    waitpid(pid, &status, 0);
    rewind(out);
    const size_t got = fread(captured, 1, sizeof captured - 1, out);
    captured[got] = '\0';
    fclose(out);
    *output = captured;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

static void text_results(void) {
    char r[8];
    TRIMF(r, 6, "  ab  ", 6);
    CHECK(field_is(r, 6, "ab"));

    /* A result field shorter than the result gets its first characters, nothing beyond. */
    const int32_t i = 123456;
    memcpy(r, "XXXXXXXX", 8);
    AINTEGER(r, 3, &i);
    CHECK(memcmp(r, "123XXXXX", 8) == 0);

    /* A text made of values that are no texts: the result field, then the values. */
    char number[20];
    const int32_t seven = 7, five = 5, two = 2, three = 3;
    AINTEGERPREC0(number, 20, &seven, &five);
    CHECK(field_is(number, 20, "00007"));
    const float xf = 2.5f;
    AREALD(number, 20, &xf, &two);
    CHECK(field_is(number, 20, "2.50"));
    const double x = 2.5;
    AREALD8(number, 20, &x, &three);
    CHECK(field_is(number, 20, "2.500"));
    /* No room for the zero ahead of the point: asterisks, not ".5000000000000000000". */
    const float half = 0.5f;
    const int32_t nineteen = 19;
    AREALD(number, 20, &half, &nineteen);
    CHECK(field_is(number, 20, "********************"));

    char suffix[10];
    FILE___EXT(suffix, 10, "C:\\runs\\M01_5m_h.dat   ", 23);
    CHECK(field_is(suffix, 10, "_h"));
}

/* Each text is followed by its own length: the lengths below cut the texts short of their
 * strings, so a length taken from the wrong place gives another result. */
static void each_text_with_its_length(void) {
    char joined[30];
    ADDFOLDER(joined, 30, "C:\\mirror//junk", 9, "run.datX", 7);
    CHECK(field_is(joined, 30, "C:\\mirror\\run.dat"));

    char r[20];
    ALPHANUMERICONLY(r, 20, "a-b c!!", 5, "_-", 1);
    CHECK(field_is(r, 20, "a_b_c"));

    REPLACE(r, 20, "a.b.cXX", 5, ".X", 1, "::+", 2);
    CHECK(field_is(r, 20, "a::b.c"));
    REPLACEALL(r, 20, "a.b.cXX", 5, ".X", 1, "::+", 2);
    CHECK(field_is(r, 20, "a::b::c"));

    const int32_t third = 3;
    char piece[10];
    SUBSTRING(piece, 10, "a;b;cd;e", 5, ";", 1, &third);
    CHECK(field_is(piece, 10, "c"));

    /* The rest field's length follows it, before the flag's own arguments end. */
    char rest[12];
    memset(rest, 'X', sizeof rest);
    CHECK(FLAGEXISTSRET("zorvel -out run.dat junk", 19, "-OUT ", 4, rest, 10) == -1);
    CHECK(field_is(rest, 10, " run.dat") && rest[10] == 'X');
    CHECK(FLAGEXISTSRET("zorvel -out run.dat", 6, "-OUT", 4, rest, 10) == 0);
    CHECK(field_is(rest, 10, ""));

    CHECK(READGIS("Read GIS Z Shape == z.mif", 25, "Z ShapeX", 7) == -1);
    CHECK(READGIS("Read GIS Z Shape == z.mif", 25, "Z ShapeX", 8) == 0);
}

static void texts_changed_in_place(void) {
    char name[20], result[20];
    set_field(name, 20, "  C:\\\\data//x.dat");
    CLEANPATH(result, 20, name, 20);
    CHECK(field_is(result, 20, "C:\\data/x.dat"));
    CHECK(field_is(name, 20, "C:\\data/x.dat"));

    char text[6] = {'a', 'b', 'c', ' ', ' ', '#'};
    CHECK(LENSL(text, 5) == 3);
    CHECK(memcmp(text, "abc\0 #", 6) == 0); /* the NUL goes in, the byte past the field stays */

    char line[12];
    set_field(line, 12, "  abc # c");
    CHECK(COMMENTLINE(line, 12) == 0);
    CHECK(field_is(line, 12, "abc"));

    char tabbed[8];
    set_field(tabbed, 8, "a\t,b,c");
    CHECK(NUMBEROFSUBSTRINGS(tabbed, 8, ",", 1) == 3);
    CHECK(field_is(tabbed, 8, "a,b,c"));

    char tabs[4] = {'\t', ' ', '\t', ' '};
    CHECK(BLANK(tabs, 4) == -1);
    CHECK(field_is(tabs, 4, ""));
}

static void logicals_and_values(void) {
    CHECK(FLAGEXISTS("zorvel -conv x", 14, "-CON", 4) == -1);
    CHECK(FLAGEXISTS("zorvel -conv x", 6, "-CON", 4) == 0);
    CHECK(FLAGEXISTS("zorvel -conv x", 14, "-max", 4) == 0);
    CHECK(ASAME("\"Depth\"", 7, "\tDEPTH  ", 8) == -1);
    CHECK(ASAME("DepthXY", 5, "\tdepth", 6) == -1);

    int64_t big = 0;
    CHECK(CHECKINT8(" 9000000000 rest", 16, &big) == -1);
    CHECK(big == INT64_C(9000000000));
    int32_t small = 0;
    CHECK(CHECKINT("12345", 3, &small) == -1);
    CHECK(small == 123);

    const int32_t second = 2, fallback = -7;
    float value = -1.0f;
    CHECK(CSVVALUE("a, 2.5e1 ,c", 11, &second, &value) == -1);
    CHECK(value == 25.0f);
    CHECK(CSVCOLUMN("x,depth,v", 9, "DEPTHS", 5, &fallback) == 2);
    CHECK(CSVCOLUMN("x,depth,v", 9, "DEPTHS", 6, &fallback) == -7);
}

static void keyword_and_split_lines(void) {
    /* The caller's lower-case copy is deliberately wrong: the routine lower-cases itself. */
    const char* line = "Cell Size = \"5,0\", 3";
    const size_t len = strlen(line);
    const int32_t n = 0;
    char value[10];
    EXTRACTSTRING(value, 10, line, (Len)len, "xxxx", 4, "CELL SIZE", 9, &n);
    CHECK(field_is(value, 10, "5,0"));
    EXTRACTSTRINGREM(value, 10, "Size = 5, 3 rest", 11, "", 0, "SIZE", 4, &n);
    CHECK(field_is(value, 10, "5, 3"));

    const int32_t two = 2, fallback = -7;
    CHECK(EXTRACTINTEGER("a, 42", 5, "", 0, "missing", 7, &two, &fallback) == 42);
    CHECK(EXTRACTINTEGER("a, 42", 4, "", 0, "missing", 7, &two, &fallback) == 4);
    CHECK(EXTRACTINTEGER("a, ", 3, "", 0, "missing", 7, &two, &fallback) == -7);
    const float real_fallback = -1.0f;
    CHECK(EXTRACTREAL("a, 2.5", 6, "", 0, "missing", 7, &two, &real_fallback) == 2.5f);

    /* Two filled texts, each field's length right after it; the bytes past them stay. */
    char rest[12], head[12];
    memset(rest, 'X', sizeof rest);
    memset(head, 'X', sizeof head);
    const int32_t column = 0;
    CHECK(CHECKLINE("Read GIS == z.mif", 17, "read gis", 8, "==", 2, &column, rest, 10, head, 9) == -1);
    CHECK(field_is(head, 9, "Read GIS") && head[9] == 'X');
    CHECK(field_is(rest, 10, " z.mif") && rest[10] == 'X');

    const int32_t four = 4;
    memset(rest, 'X', sizeof rest);
    memset(head, 'X', sizeof head);
    CHECK(CHECKLINE("abcdefgh", 8, "*", 1, " ", 1, &four, rest, 6, head, 5) == -1);
    CHECK(field_is(head, 5, "abcd") && head[5] == 'X');
    CHECK(field_is(rest, 6, "efgh") && rest[6] == 'X');
}

static void geometry(void) {
    const float x1 = 0, y1 = 0, x2 = 3, y2 = 4;
    CHECK(DISTANCE(&x1, &y1, &x2, &y2) == 5.0f);
    CHECK(VECTOR_MAGNITUDE(&x2, &y2) == 5.0f);

    const double a[8] = {0, 0, 2, 2, 0, 2, 2, 0};
    double x = -1, y = -1;
    CHECK(INTERSECTION_POINT_8(&a[0], &a[1], &a[2], &a[3], &a[4], &a[5], &a[6], &a[7], &x, &y) == -1);
    CHECK(x == 1.0 && y == 1.0);

    /* A unit square in layout A: position 0 holds no vertex, the ring closes at 5. */
    const float sx[6] = {0, 0, 1, 1, 0, 0}, sy[6] = {0, 0, 0, 1, 1, 0};
    const int32_t n = 6, ends[1] = {5}, parts = 1;
    const float xmin = 0, in_x = 0.5f, in_y = 0.5f, out_x = 1.5f;
    CHECK(INSIDE_POLYGON(&in_x, &in_y, sx, sy, &n, &xmin, ends, &parts) == -1);
    CHECK(INSIDE_POLYGON(&out_x, &in_y, sx, sy, &n, &xmin, ends, &parts) == 0);

    /* The plane through the corners on an edge and outside the triangle; none for corners
     * on one line. */
    const float cx[3] = {0, 4, 0}, cy[3] = {0, 0, 2}, cz[3] = {1, 9, 7};
    const float on_x = 2, on_y = 1, off_x = 3, off_y = 1;
    float v = 0;
    CHECK(INTERPOLATE_TRIANGLE(&on_x, &on_y, cx, cy, cz, &v) == -1 && v == 8.0f);
    CHECK(INTERPOLATE_TRIANGLE(&off_x, &off_y, cx, cy, cz, &v) == -1 && v == 10.0f);
    const float lx[3] = {0, 1, 2};
    CHECK(INTERPOLATE_TRIANGLE(&off_x, &off_y, lx, lx, cz, &v) == 0 && v == -99999.0f);

    /* A box left of and below the origin: its first column and row are 0. */
    const float bx[2] = {-5, 3}, by[2] = {-1, 1}, cell = 1;
    const int32_t two = 2, rows = 5, cols = 10;
    int32_t r0 = -7, c0 = -7, r1 = -7, c1 = -7;
    float bxmin, bymin, bxmax, bymax;
    SET_SUB_GRID_AREA(bx, by, &two, &cell, &rows, &cols, &r0, &c0, &r1, &c1, &bxmin, &bymin, &bxmax, &bymax);
    CHECK(r0 == 0 && c0 == 0 && r1 == 2 && c1 == 4);

    const float px1 = 0, pz1 = 0, px2 = 2, pz2 = 0, level = 1, factor = 1;
    float area = 0, width = 0, wetted = 0;
    HYD_PARAM(&px1, &pz1, &px2, &pz2, &level, &factor, &area, &width, &wetted);
    CHECK(area == 2.0f && width == 2.0f && wetted == 2.0f);
}

static void message_block(void) {
    DMESSAGECLEAR();
    const int32_t errors = DMESSAGES.errors;
    set_field(DMESSAGES.line[0], sizeof DMESSAGES.line[0], "ERROR 0201 - from C");
    const int32_t one = 1;
    capture_start();
    DMESSAGE(&one);
    CHECK(strcmp(capture_end(), "\nERROR 0201 - from C\n") == 0);
    CHECK(DMESSAGES.errors == errors + 1);
    CHECK(DMESSAGES.number == 201 && DMESSAGES.type == 1);
    CHECK(DMESSAGES.line[0][0] == ' ' && DMESSAGES.x == -99999.0); /* cleared */

    /* The layout flag is a logical: only its lowest bit counts. */
    const int32_t none = 0;
    const int32_t layouts[3] = {1, 2, -1};
    const char* expected[3] = {"CHECK 0001 - a  b\n", "CHECK 0001 - a\nb\n", "CHECK 0001 - a  b\n"};
    for (int k = 0; k < 3; ++k) {
        set_field(DMESSAGES.line[0], sizeof DMESSAGES.line[0], "CHECK 0001 - a");
        set_field(DMESSAGES.line[1], sizeof DMESSAGES.line[1], "b");
        DMESSAGES.one_line = layouts[k];
        capture_start();
        DMESSAGE(&none);
        CHECK(strcmp(capture_end(), expected[k]) == 0);
    }
}

static void read_from_unit_not_open(void) {
    const int32_t unit = 5;
    char line[10];
    READLINE(&unit, line, 10);
}

/* An end of the run ends the process with its status, after the pause at "Press Enter to
 * Close": the file-unit tables were never set up here, and the pause is made all the same.
 * The console input is at its end, which ends the wait. */
static void ends_of_the_run(void) {
    const char* out = NULL;
    CHECK(run_to_end(EXITS, &out) == 1);
    CHECK(strcmp(out, "\nPress Enter to Close\n") == 0);

    CHECK(run_to_end(read_from_unit_not_open, &out) == 1);
    CHECK(strcmp(out, "\nERROR 0201 - Reading text line from file unit number    5\n\nPress Enter to Close\n") == 0);
}

int main(void) {
    text_results();
    each_text_with_its_length();
    texts_changed_in_place();
    logicals_and_values();
    keyword_and_split_lines();
    geometry();
    message_block();
    ends_of_the_run();
    if (failures) {
        fprintf(stderr, "%d failed checks\n", failures);
        return 1;
    }
    printf("all checks passed\n");
    return 0;
}
