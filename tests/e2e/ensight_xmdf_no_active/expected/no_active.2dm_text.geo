Converted from KESTRA .2dm file.
Standard Resolution Output
node id given
element id given
extents
 0.00000E+00 0.20000E+01
 0.00000E+00 0.10000E+01
 0.90000E+01 0.10250E+02
part
         1
2D KESTRA Elements
coordinates
         6
         1
         2
         3
         4
         5
         6
 0.00000E+00
 0.10000E+01
 0.20000E+01
 0.00000E+00
 0.10000E+01
 0.20000E+01
 0.25000E+00
 0.00000E+00
 0.00000E+00
 0.10000E+01
 0.10000E+01
 0.10000E+01
 0.90000E+01
 0.95000E+01
 0.10000E+02
 0.90000E+01
 0.95000E+01
 0.10250E+02
tria3
         2
         1
         2
         1         4         2
         2         4         5
quad4
         1
         3
         2         5         6         3
