Converted from KESTRA FV .2dm file.
Cell Centred Output (output == dat)
node id given
element id given
extents
 0.00000E+00 0.20000E+01
 0.00000E+00 0.20000E+01
 0.10000E+02 0.16000E+02
part
         1
2D KESTRA Elements
coordinates
         7
         1
         2
         3
         4
         5
         6
         7
 0.00000E+00
 0.10000E+01
 0.10000E+01
 0.00000E+00
 0.20000E+01
 0.20000E+01
 0.00000E+00
 0.00000E+00
 0.00000E+00
 0.10000E+01
 0.10000E+01
 0.50000E+00
 0.15000E+01
 0.20000E+01
 0.10000E+02
 0.11000E+02
 0.12000E+02
 0.13000E+02
 0.14000E+02
 0.15000E+02
 0.16000E+02
tria3
         2
         2
         3
         2         3         5
         3         6         5
quad4
         2
         1
         4
         1         4         3         2
         4         7         6         3
