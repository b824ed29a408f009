set output 'polar_Error_Map.png'
set term png size 750,750
set size 0.82, 1
set title 'Error Map'
set origin .17,0
set xrange [999901:1001279]
set yrange [-647921:-650099]
set arrow 1 from 1000000,-650000 to 1001180,-650000 nohead lc rgb 'grey'
set arrow 2 from 1000000,-650000 to 1000000,-648020 nohead lc rgb 'grey'
set arrow 3 from 1001180,-650000 to 1001180,-648020 nohead lc rgb 'grey'
set arrow 4 from 1000000,-648020 to 1001180,-648020 nohead lc rgb 'grey'
unset key
set label 1 'Initial Values:' at screen 0.02,0.95
set label 2 'Mean: -6.25' at screen 0.02,0.90
set label 3 'Std Dev: 9.75' at screen 0.02,0.85
set object circle at screen 0.02,0.65 radius char 0.5 fillstyle solid fillcolor rgb '#0000ff'
set label 4 'e < -15' at screen 0.03,0.65
set object circle at screen 0.02,0.60 radius char 0.5 fillstyle solid fillcolor rgb '#008000'
set label 5 '-15 <= e < -10' at screen 0.03,0.60
set object circle at screen 0.02,0.55 radius char 0.5 fillstyle solid fillcolor rgb '#00ff00'
set label 6 '-10 <=e < -5' at screen 0.03,0.55
set object circle at screen 0.02,0.50 radius char 0.5 fillstyle solid fillcolor rgb '#ffd700'
set label 7 '-5 <= e <= 5' at screen 0.03,0.50
set object circle at screen 0.02,0.45 radius char 0.5 fillstyle solid fillcolor rgb '#ff8800'
set label 8 '5 < e <= 10' at screen 0.03,0.45
set object circle at screen 0.02,0.40 radius char 0.5 fillstyle solid fillcolor rgb '#ff0000'
set label 9 '10 < e <= 15' at screen 0.03,0.40
set object circle at screen 0.02,0.35 radius char 0.5 fillstyle solid fillcolor rgb '#bb0000'
set label 10 'e > 15' at screen 0.03,0.35
plot '-' using 1:2:3 with points pt 7 ps 1.5 lc rgb variable
1000123 -649678 0xffd700
1001980 -648820 0x0000ff
e
reset
