set output 'out/dem_Error_Map.png'
set term png size 1250,750
set multiplot
set size 0.45, 1
set title 'Initial Error Map'
set origin .12,0
set xrange [99.9:102.1]
set yrange [197.9:200.1]
set arrow 1 from 100,200 to 100,198 nohead lc rgb 'grey'
set arrow 2 from 100,200 to 102,200 nohead lc rgb 'grey'
set arrow 3 from 100,198 to 102,198 nohead lc rgb 'grey'
set arrow 4 from 102,200 to 102,198 nohead lc rgb 'grey'
unset key
set label 1 'Initial Values:' at screen 0.02,0.95
set label 2 'Mean: -1.25' at screen 0.02,0.90
set label 3 'Std Dev: 2.5' at screen 0.02,0.85
set object circle at screen 0.02,0.75 radius char 0.5 fillstyle solid fillcolor rgb '#004da8'
set label 4 'e <= -20' at screen 0.03,0.75
set object circle at screen 0.02,0.70 radius char 0.5 fillstyle solid fillcolor rgb '#60a3b5'
set label 5 '-20 < e <= -12' at screen 0.03,0.70
set object circle at screen 0.02,0.65 radius char 0.5 fillstyle solid fillcolor rgb '#8cb8a4'
set label 6 '-12 < e <= -8' at screen 0.03,0.65
set object circle at screen 0.02,0.60 radius char 0.5 fillstyle solid fillcolor rgb '#b1cc91'
set label 7 '-8 < e <= -4' at screen 0.03,0.60
set object circle at screen 0.02,0.55 radius char 0.5 fillstyle solid fillcolor rgb '#d7e37d'
set label 8 '-4 < e <= -2' at screen 0.03,0.55
set object circle at screen 0.02,0.50 radius char 0.5 fillstyle solid fillcolor rgb '#fafa64'
set label 9 '-2 < e <= 2' at screen 0.03,0.50
set object circle at screen 0.02,0.45 radius char 0.5 fillstyle solid fillcolor rgb '#fccf51'
set label 10 '2 < e <= 4' at screen 0.03,0.45
set object circle at screen 0.02,0.40 radius char 0.5 fillstyle solid fillcolor rgb '#fca43f'
set label 11 '4 < e <= 8' at screen 0.03,0.40
set object circle at screen 0.02,0.35 radius char 0.5 fillstyle solid fillcolor rgb '#f77a2d'
set label 12 '8 < e <= 12' at screen 0.03,0.35
set object circle at screen 0.02,0.30 radius char 0.5 fillstyle solid fillcolor rgb '#f24d1f'
set label 13 '12 < e <= 20' at screen 0.03,0.30
set object circle at screen 0.02,0.25 radius char 0.5 fillstyle solid fillcolor rgb '#e81014'
set label 14 'e > 20' at screen 0.03,0.25
plot '-' using 1:2:3 with points pt 7 ps 1.5 lc rgb variable
100.5 199.25 0x60a3b5
101 199 0xfca43f
-1234567.5 2.25 0xfafa64
e
reset
set size .45, 1
set origin .55,0
set title 'Final Error Map'
set xrange [100.35:103.65]
set yrange [197.6:200.4]
set arrow 1 from 100.5,199.75 to 101.5,197.75 nohead lc rgb 'grey'
set arrow 2 from 100.5,199.75 to 102.5,200.25 nohead lc rgb 'grey'
set arrow 3 from 101.5,197.75 to 103.5,198.25 nohead lc rgb 'grey'
set arrow 4 from 102.5,200.25 to 103.5,198.25 nohead lc rgb 'grey'
unset key
set label 15 'Final Values:' at screen 0.02,0.15
set label 16 'Mean: 1234.57' at screen 0.02,0.10
set label 17 'Std Dev: 0.125' at screen 0.02,0.05
plot '-' using 1:2:3 with points pt 7 ps 1.5 lc rgb variable
101 199 0x004da8
102 198 0xf24d1f
e
unset multiplot
reset
