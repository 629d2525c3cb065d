Converted from KESTRA .2dm file.
Standard Resolution Output
node id given
element id given
extents
 0.00000E+00 0.10000E+01
 0.00000E+00 0.10000E+01
 0.10000E+01 0.10000E+01
part
         1
2D KESTRA Elements
coordinates
         3
         1
         2
         3
 0.00000E+00
 0.10000E+01
 0.00000E+00
 0.00000E+00
 0.00000E+00
 0.10000E+01
 0.10000E+01
 0.10000E+01
 0.10000E+01
tria3
         1
         1
         1         3         2
